// A read-only hex view of a frame: 16 bytes a row, each row led by its offset ("0x"), then
// the bytes in hexadecimal and as text. Only the visible rows are painted.
#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>

namespace AnalyzerProject {

class HexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    void SetData(const QByteArray& bytes);
    const QByteArray& Data() const { return data_; }
    // Selection of bytes [start, end); a click in the protocol tree clears it.
    void SetSelection(int start, int end);
    int SelectionStart() const { return selStart_; }
    int SelectionEnd() const { return selEnd_; }

    static constexpr int kBytesPerRow = 16;
    // The text of one row, as painted (offset, bytes, characters).
    static QString RowText(const QByteArray& bytes, int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScrollBars();
    int RowCount() const { return (static_cast<int>(data_.size()) + kBytesPerRow - 1) / kBytesPerRow; }

    QByteArray data_;
    int selStart_ = 0, selEnd_ = 0;
};

} // namespace AnalyzerProject
