#include "hex_view.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

namespace AnalyzerProject {

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void HexView::SetData(const QByteArray& bytes)
{
    data_ = bytes;
    selStart_ = selEnd_ = 0;
    verticalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

void HexView::SetSelection(int start, int end)
{
    selStart_ = start;
    selEnd_ = end;
    viewport()->update();
}

QString HexView::RowText(const QByteArray& bytes, int row)
{
    const int first = row * kBytesPerRow;
    const int count = std::min<int>(kBytesPerRow, static_cast<int>(bytes.size()) - first);
    QString text = QString("0x%1  ").arg(first, 4, 16, QChar('0'));
    QString chars;
    for (int i = 0; i < kBytesPerRow; ++i) {
        if (i < count) {
            const auto b = static_cast<unsigned char>(bytes[first + i]);
            text += QString("%1 ").arg(b, 2, 16, QChar('0'));
            chars += (b >= 0x20 && b < 0x7f) ? QChar(b) : QChar('.');
        } else {
            text += "   ";
        }
        if (i == 7)
            text += ' ';
    }
    return text + ' ' + chars;
}

void HexView::UpdateScrollBars()
{
    const int lineHeight = fontMetrics().height();
    const int visible = std::max(1, viewport()->height() / lineHeight);
    verticalScrollBar()->setRange(0, std::max(0, RowCount() - visible));
    verticalScrollBar()->setPageStep(visible);
    const int width = fontMetrics().horizontalAdvance(RowText(QByteArray(kBytesPerRow, 0), 0)) + 8;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void HexView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int lineHeight = fontMetrics().height();
    const int first = verticalScrollBar()->value();
    const int rows = viewport()->height() / lineHeight + 1;
    const int x = 4 - horizontalScrollBar()->value();
    for (int r = 0; r < rows && first + r < RowCount(); ++r) {
        const int row = first + r;
        const int y = r * lineHeight;
        const bool selected = selEnd_ > selStart_ && row * kBytesPerRow < selEnd_ && (row + 1) * kBytesPerRow > selStart_;
        if (selected)
            painter.fillRect(0, y, viewport()->width(), lineHeight, palette().highlight());
        painter.setPen(selected ? palette().highlightedText().color() : palette().text().color());
        painter.drawText(x, y + fontMetrics().ascent(), RowText(data_, row));
    }
}

} // namespace AnalyzerProject
