#include "capture_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "analysis_registry.h"
#include "message_box.h"

namespace AnalyzerProject {

namespace {

constexpr int kHostRole = Qt::UserRole;

// Draws a line under every row, as the lists show grid lines.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

QTreeWidget* MakeInterfaceList(const QString& objectName, const QString& header, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(objectName);
    list->setColumnCount(1);
    list->setHeaderLabels({header});
    list->header()->setSectionsClickable(false);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setItemDelegate(new GridLineDelegate(list));
    list->setFixedSize(280, 180);
    return list;
}

QToolButton* MakeMoveButton(const QString& objectName, Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setArrowType(arrow);
    button->setFixedSize(28, 24);
    return button;
}

QTreeWidgetItem* HighlightedRow(const QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> rows = list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.front();
}

} // namespace

CaptureDialog::CaptureDialog(const QString& caption, const QString& availableHeader, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    setModal(true);

    auto* nameLabel = new QLabel("Anaysis Name : ", this);
    EditnalysisName = new QLineEdit(this);
    EditnalysisName->setObjectName("EditnalysisName");
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(EditnalysisName, 1);

    ListViewAvailable = MakeInterfaceList("ListViewAvailable", availableHeader, this);
    ListViewSelected = MakeInterfaceList("ListViewSelected", "Selected Interface", this);
    SpeedButton1 = MakeMoveButton("SpeedButton1", Qt::RightArrow, this);
    SpeedButton2 = MakeMoveButton("SpeedButton2", Qt::LeftArrow, this);
    auto* moveButtons = new QVBoxLayout;
    moveButtons->addStretch();
    moveButtons->addWidget(SpeedButton1);
    moveButtons->addWidget(SpeedButton2);
    moveButtons->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addWidget(ListViewAvailable);
    lists->addLayout(moveButtons);
    lists->addWidget(ListViewSelected);

    auto* memoLabel = new QLabel("Adapter Information", this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFixedHeight(130);

    OKBtn = new QPushButton("OK", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setObjectName("CancelBtn");
    ButtonRealOK = new QPushButton("ROK", this);
    ButtonRealOK->setObjectName("ButtonRealOK");
    ButtonRealOK->setAutoDefault(false);
    ButtonRealOK->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addWidget(ButtonRealOK);

    mainLayout = new QVBoxLayout(this);
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);
    mainLayout->addLayout(nameRow);
    mainLayout->addLayout(lists);
    mainLayout->addWidget(memoLabel);
    mainLayout->addWidget(Memo1);
    mainLayout->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &CaptureDialog::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonRealOK, &QPushButton::clicked, this, &QDialog::accept);
}

QString CaptureDialog::AnalysisName() const { return EditnalysisName->text(); }

void CaptureDialog::SetAnalysisName(const QString& name) { EditnalysisName->setText(name); }

QStringList CaptureDialog::SelectedCaptions() const
{
    QStringList captions;
    for (int i = 0; i < ListViewSelected->topLevelItemCount(); ++i)
        captions << ListViewSelected->topLevelItem(i)->text(0);
    return captions;
}

QStringList CaptureDialog::SelectedHostTexts() const
{
    QStringList hosts;
    for (int i = 0; i < ListViewSelected->topLevelItemCount(); ++i)
        hosts << RowHost(ListViewSelected->topLevelItem(i));
    return hosts;
}

void CaptureDialog::OKBtnClick()
{
    if (ListViewSelected->topLevelItemCount() == 0)
        ShowPlainError(this, " Please select interfaces to analyze !");
    else if (EditnalysisName->text().isEmpty())
        ShowPlainError(this, " Please input the name of analysis !");
    else if (IsAnalysisNameUsed(EditnalysisName->text().toStdString()))
        ShowPlainError(this, " The specified name exists !");
    else
        ButtonRealOK->click();
}

void CaptureDialog::AddAvailableRow(const QString& caption, const QString& host)
{
    auto* row = new QTreeWidgetItem(QStringList{caption});
    row->setData(0, kHostRole, host);
    ListViewAvailable->addTopLevelItem(row);
}

QString CaptureDialog::RowHost(const QTreeWidgetItem* row) { return row->data(0, kHostRole).toString(); }

void CaptureDialog::MoveRow(QTreeWidget* from, QTreeWidget* to)
{
    QTreeWidgetItem* row = HighlightedRow(from);
    if (!row)
        return;
    from->takeTopLevelItem(from->indexOfTopLevelItem(row));
    to->addTopLevelItem(row);
    Memo1->clear();
}

void CaptureDialog::ShowInformationOf(QTreeWidget* clicked)
{
    const QTreeWidgetItem* row = HighlightedRow(clicked);
    if (!row)
        return;
    if (const std::optional<std::vector<std::string>> lines = InterfaceInformation(*row)) {
        Memo1->clear();
        for (const std::string& line : *lines)
            Memo1->appendPlainText(QString::fromStdString(line));
        Memo1->moveCursor(QTextCursor::Start);
        Memo1->ensureCursorVisible();
    }
    (clicked == ListViewAvailable ? ListViewSelected : ListViewAvailable)->clearSelection();
}

} // namespace AnalyzerProject
