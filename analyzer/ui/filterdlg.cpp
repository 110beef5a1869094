#include "filterdlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace AnalyzerProject {

TFilterDialog::TFilterDialog(NamedFilters filters, QWidget* parent)
    : QDialog(parent)
    , m_Filters(std::move(filters))
{
    setObjectName("FilterDialog");
    setWindowTitle("Filters");

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    Edit2->setMinimumWidth(280);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName("ListView1");
    ListView1->setColumnCount(1);
    ListView1->setHeaderLabels({"Name List"});
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setSectionsMovable(false);

    Button1 = new QPushButton("Load", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("Save", this);
    Button2->setObjectName("Button2");
    Button3 = new QPushButton("Delete", this);
    Button3->setObjectName("Button3");
    Button4 = new QPushButton("Cancel", this);
    Button4->setObjectName("Button4");
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        b->setAutoDefault(false);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel("Name :", this), 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(new QLabel("Rule :", this), 1, 0);
    fields->addWidget(Edit2, 1, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addStretch();
    buttons->addWidget(Button4);

    auto* lower = new QHBoxLayout;
    lower->addWidget(ListView1, 1);
    lower->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(lower, 1);

    connect(ListView1, &QTreeWidget::itemClicked, this, &TFilterDialog::ListBox1Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &TFilterDialog::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TFilterDialog::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);

    // One row per filter line, in the order of the file.
    for (const NamedFilter& f : m_Filters.List())
        new QTreeWidgetItem(ListView1, QStringList{QString::fromStdString(f.name)});
    SetNameButtonsEnabled(false);
}

QString TFilterDialog::Rule() const { return Edit2->text(); }

void TFilterDialog::SetNameButtonsEnabled(bool enabled)
{
    Button1->setEnabled(enabled);
    Button3->setEnabled(enabled);
}

void TFilterDialog::ListBox1Click()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return;
    const QString name = selected.front()->text(0);
    Edit1->setText(name);
    Edit2->setText(m_Filters.Value(name));
    SetNameButtonsEnabled(true);
}

void TFilterDialog::Button2Click()
{
    const QString name = Edit1->text();
    const QString rule = Edit2->text();
    if (name.isEmpty() || rule.isEmpty())
        return;
    // A name the settings file cannot hold (an "=", blanks around it, ...) is not listed.
    if (!m_Filters.Save(name, rule))
        return;
    if (ListView1->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive, 0).isEmpty())
        new QTreeWidgetItem(ListView1, QStringList{name});
}

void TFilterDialog::Button3Click()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* item = selected.front();
    m_Filters.Remove(item->text(0));
    delete item;
    ListView1->clearSelection();
    SetNameButtonsEnabled(false);
}

} // namespace AnalyzerProject
