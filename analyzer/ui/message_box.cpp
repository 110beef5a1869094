#include "message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace AnalyzerProject {

namespace {
MessageInterceptor& interceptor()
{
    static MessageInterceptor current;
    return current;
}
} // namespace

void SetMessageInterceptor(MessageInterceptor i) { interceptor() = std::move(i); }

void ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon)
{
    if (interceptor()) {
        interceptor()({text, caption, icon});
        return;
    }
    const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Critical, QMessageBox::Information,
                                       QMessageBox::Warning};
    QMessageBox box(icons[static_cast<int>(icon)], caption.isEmpty() ? QApplication::applicationName() : caption,
                    text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace AnalyzerProject
