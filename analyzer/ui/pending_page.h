// A page whose own view is not built yet. It receives every packet like any page and shows,
// honestly, how many it holds; the text is refreshed at screen rate, not per packet.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdint>

namespace AnalyzerProject {

class PendingPage : public QWidget {
    Q_OBJECT
public:
    PendingPage(const QString& title, QWidget* parent = nullptr);

    void AddPacket() { ++packets_; }
    void Clear()
    {
        packets_ = 0;
        Refresh();
    }
    uint64_t Packets() const { return packets_; }

private:
    void Refresh();

    QString title_;
    QLabel* text_;
    QTimer refresh_;
    uint64_t packets_ = 0;
    uint64_t shown_ = UINT64_MAX;
};

} // namespace AnalyzerProject
