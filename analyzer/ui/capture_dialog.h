// What the local and the remote capture dialogs share: the analysis name, the list of
// available interfaces and the list of selected ones with the buttons that move rows
// between them, the adapter information box, and OK, which refuses until a selection and an
// unused name are given. Each row keeps its caption and the host it was scanned from (empty
// for local interfaces).
#pragma once

#include <QDialog>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace AnalyzerProject {

class CaptureDialog : public QDialog {
    Q_OBJECT

public:
    QString AnalysisName() const;
    void SetAnalysisName(const QString& name);
    // The captions of the selected list, top to bottom.
    QStringList SelectedCaptions() const;

    // Accepts the dialog when interfaces are selected and the name is set and unused.
    void OKBtnClick();

protected:
    CaptureDialog(const QString& caption, const QString& availableHeader, QWidget* parent);

    // Appends a row to the available list.
    void AddAvailableRow(const QString& caption, const QString& host);
    static QString RowHost(const QTreeWidgetItem* row);
    QStringList SelectedHostTexts() const;

    // Moves the highlighted row of `from` to the end of `to`.
    void MoveRow(QTreeWidget* from, QTreeWidget* to);
    // Shows the information of the highlighted row of `clicked`, and takes the highlight off
    // the other list.
    void ShowInformationOf(QTreeWidget* clicked);
    // The information lines of the interface of `row`, or nothing when the interfaces
    // cannot be listed.
    virtual std::optional<std::vector<std::string>> InterfaceInformation(const QTreeWidgetItem& row) = 0;

    QVBoxLayout* mainLayout = nullptr;
    QLineEdit* EditnalysisName = nullptr;
    QTreeWidget* ListViewAvailable = nullptr;
    QTreeWidget* ListViewSelected = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* ButtonRealOK = nullptr;
};

} // namespace AnalyzerProject
