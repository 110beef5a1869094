#include "settingdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <memory>
#include <new>

#include "filterdlg.h"
#include "message_box.h"

namespace AnalyzerProject {

namespace {

constexpr int kIntervalStepMs = 50;
const char* const kFilterFailure = "Fail to set this filter string .";

QString IntervalText(int position) { return QString::number(position * kIntervalStepMs) + " ms"; }

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("Form2");
    setWindowTitle("Setting");
    // Fixed size, with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // Online filters.
    GroupBox1 = new QGroupBox("Online Filters", this);
    GroupBox1->setObjectName("GroupBox1");
    ComboBoxInterface = new QComboBox(GroupBox1);
    ComboBoxInterface->setObjectName("ComboBoxInterface");
    ComboBoxInterface->setEditable(false);
    ComboBoxInterface->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBoxInterface->setMinimumContentsLength(30);
    EditRule = new QLineEdit(GroupBox1);
    EditRule->setObjectName("EditRule");
    ButtonSetRule = MakeButton("Set", "ButtonSetRule", GroupBox1);
    Button1 = MakeButton("Load", "Button1", GroupBox1);
    Button1->setProperty("tag", 1);
    auto* online = new QGridLayout(GroupBox1);
    online->addWidget(new QLabel("Interface :", GroupBox1), 0, 0);
    online->addWidget(ComboBoxInterface, 0, 1, 1, 3);
    online->addWidget(new QLabel("Rule : ", GroupBox1), 1, 0);
    online->addWidget(EditRule, 1, 1);
    online->addWidget(ButtonSetRule, 1, 2);
    online->addWidget(Button1, 1, 3);
    online->setColumnStretch(1, 1);

    // Interval and promiscuous mode (no caption).
    GroupBox3 = new QGroupBox(this);
    GroupBox3->setObjectName("GroupBox3");
    TrackBarUpdateInterval = new QSlider(Qt::Horizontal, GroupBox3);
    TrackBarUpdateInterval->setObjectName("TrackBarUpdateInterval");
    TrackBarUpdateInterval->setRange(1, 5);
    TrackBarUpdateInterval->setSingleStep(1);
    TrackBarUpdateInterval->setPageStep(1);
    TrackBarUpdateInterval->setTickInterval(1);
    TrackBarUpdateInterval->setTickPosition(QSlider::TicksBelow);
    TrackBarUpdateInterval->setValue(2);
    TrackBarUpdateInterval->setMinimumWidth(140);
    EditUpdateInterval = new QLineEdit("100 ms", GroupBox3);
    EditUpdateInterval->setObjectName("EditUpdateInterval");
    EditUpdateInterval->setReadOnly(true);
    EditUpdateInterval->setMaximumWidth(80);
    pmode = new QCheckBox("Promiscuous mode", GroupBox3);
    pmode->setObjectName("pmode");
    auto* interval = new QGridLayout(GroupBox3);
    interval->addWidget(new QLabel("Interval time of realtime parsing : ", GroupBox3), 0, 0);
    interval->addWidget(TrackBarUpdateInterval, 0, 1);
    interval->addWidget(EditUpdateInterval, 0, 2);
    interval->addWidget(pmode, 1, 0, 1, 3);
    interval->setColumnStretch(1, 1);

    // Display filter.
    GroupBox2 = new QGroupBox("Display Filter", this);
    GroupBox2->setObjectName("GroupBox2");
    Edit1 = new QLineEdit(GroupBox2);
    Edit1->setObjectName("Edit1");
    Button3 = MakeButton("Load", "Button3", GroupBox2);
    Button3->setProperty("tag", 2);
    auto* display = new QGridLayout(GroupBox2);
    display->addWidget(new QLabel("Rule : ", GroupBox2), 0, 0);
    display->addWidget(Edit1, 0, 1);
    display->addWidget(Button3, 0, 2);
    display->setColumnStretch(1, 1);

    OKBtn = new QPushButton("Set Capture and Display filter", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = MakeButton("Cancel", "CancelBtn", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox3);
    layout->addWidget(GroupBox2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ComboBoxInterface, &QComboBox::currentIndexChanged, this, &TForm2::ComboBoxInterfaceChange);
    connect(pmode, &QCheckBox::toggled, this, &TForm2::pmodeClick);
    connect(TrackBarUpdateInterval, &QSlider::valueChanged, this, &TForm2::TrackBarUpdateIntervalChange);
    connect(ButtonSetRule, &QPushButton::clicked, this, &TForm2::ButtonSetRuleClick);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button1Click(Button3); });
    connect(OKBtn, &QPushButton::clicked, this, &TForm2::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    m_FilterDialogFactory = [](QWidget* owner) { return new TFilterDialog(NamedFilters(), owner); };
}

void TForm2::Prepare(CPacketCapture* capture, int updateIntervalMs, const QString& displayFilter, bool offlineMode)
{
    TrackBarUpdateInterval->setValue(updateIntervalMs / kIntervalStepMs);
    EditUpdateInterval->setText(IntervalText(TrackBarUpdateInterval->value()));

    m_Capture = capture;
    m_Confs.clear();
    {
        const QSignalBlocker blockCombo(ComboBoxInterface);
        const QSignalBlocker blockCheck(pmode);
        ComboBoxInterface->clear();
        if (capture) {
            for (int i = 0; i < capture->InterfaceCount(); ++i)
                ComboBoxInterface->addItem(QString::fromStdString(capture->InterfaceName(i)));
            capture->GetConfs(m_Confs);
        }
        PacketCaptureConf conf;
        pmode->setChecked(capture && capture->GetInterfaceConf(0, conf) && conf.promiscuous != 0);
        ComboBoxInterface->setCurrentIndex(ComboBoxInterface->count() > 0 ? 0 : -1);
    }
    std::string rule;
    if (capture)
        capture->GetInterfaceFilter(0, rule);
    EditRule->setText(QString::fromStdString(rule));
    Edit1->setText(displayFilter);

    GroupBox1->setEnabled(!offlineMode);
    GroupBox3->setEnabled(!offlineMode);
}

int TForm2::UpdateIntervalMs() const { return TrackBarUpdateInterval->value() * kIntervalStepMs; }

QString TForm2::DisplayFilter() const { return Edit1->text(); }

void TForm2::SetFilterDialogFactory(FilterDialogFactory factory) { m_FilterDialogFactory = std::move(factory); }

void TForm2::ComboBoxInterfaceChange()
{
    const int i = ComboBoxInterface->currentIndex();
    if (i < 0 || !m_Capture)
        return;
    // A rule typed for the previous source and not set is dropped.
    std::string rule;
    m_Capture->GetInterfaceFilter(i, rule);
    EditRule->setText(QString::fromStdString(rule));
    const QSignalBlocker block(pmode);
    pmode->setChecked(i < static_cast<int>(m_Confs.size()) && m_Confs[i].promiscuous != 0);
}

void TForm2::pmodeClick()
{
    const int i = ComboBoxInterface->currentIndex();
    if (i >= 0 && i < static_cast<int>(m_Confs.size()))
        m_Confs[i].promiscuous = pmode->isChecked() ? 1 : 0;
}

void TForm2::TrackBarUpdateIntervalChange()
{
    EditUpdateInterval->setText(IntervalText(TrackBarUpdateInterval->value()));
}

bool TForm2::SetChosenFilter()
{
    if (!m_Capture)
        return false;
    return m_Capture->SetInterfaceFilter(ComboBoxInterface->currentIndex(), EditRule->text().toStdString());
}

void TForm2::ButtonSetRuleClick()
{
    if (!SetChosenFilter())
        ShowError(this, kFilterFailure);
}

void TForm2::OKBtnClick()
{
    if (SetChosenFilter()) {
        // Each flag rebuilds that source's module, in source order.
        for (size_t i = 0; i < m_Confs.size(); ++i)
            m_Capture->SetInterfacePromiscuous(static_cast<int>(i), m_Confs[i].promiscuous);
    } else {
        ShowError(this, kFilterFailure);
    }
    accept();
}

void TForm2::Button1Click(QObject* button)
{
    const int tag = button ? button->property("tag").toInt() : 0;
    std::unique_ptr<TFilterDialog> dialog;
    try {
        dialog.reset(m_FilterDialogFactory ? m_FilterDialogFactory(this) : nullptr);
    } catch (const std::bad_alloc&) {
        dialog.reset();
    }
    if (!dialog) {
        ShowError(this, "Out of memory!");
        return;
    }
    if (dialog->exec() != QDialog::Accepted)
        return;
    if (tag == 1)
        EditRule->setText(dialog->Rule());
    else if (tag == 2)
        Edit1->setText(dialog->Rule());
}

} // namespace AnalyzerProject
