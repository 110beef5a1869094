// Every message box of the program goes through here: a fixed text, a caption and an icon,
// shown modally over its owner. Tests install an interceptor that records the messages
// (and answers them) instead of showing them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace AnalyzerProject {

enum class MessageIcon { None, Error, Information, Warning };

struct MessageRecord {
    QString text;
    QString caption;
    MessageIcon icon;
};

void ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon);

// The captions and icons the program uses.
inline void ShowError(QWidget* owner, const QString& text) { ShowMessage(owner, text, "ERROR", MessageIcon::Error); }
inline void ShowPlainError(QWidget* owner, const QString& text) { ShowMessage(owner, text, "Error", MessageIcon::None); }

// While set, messages are handed to `interceptor` instead of being shown.
using MessageInterceptor = std::function<void(const MessageRecord&)>;
void SetMessageInterceptor(MessageInterceptor interceptor);

} // namespace AnalyzerProject
