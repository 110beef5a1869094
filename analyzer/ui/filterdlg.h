// "Filters": the named filter expressions of the settings file. The operator picks one to
// load into the field the dialog was opened for, saves the typed name and rule, or deletes
// a name.
#pragma once

#include <QDialog>

#include "named_filters.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace AnalyzerProject {

class TFilterDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFilterDialog(NamedFilters filters = NamedFilters(), QWidget* parent = nullptr);

    // The rule handed back when the dialog closes with OK.
    QString Rule() const;

    QLineEdit* Edit1;         // name
    QLineEdit* Edit2;         // rule
    QTreeWidget* ListView1;   // "Name List"
    QPushButton* Button1;     // Load
    QPushButton* Button2;     // Save
    QPushButton* Button3;     // Delete
    QPushButton* Button4;     // Cancel

public slots:
    void ListBox1Click();
    void Button2Click();
    void Button3Click();

private:
    void SetNameButtonsEnabled(bool enabled);

    NamedFilters m_Filters;
};

} // namespace AnalyzerProject
