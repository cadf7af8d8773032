// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace tallyvox {

namespace {

const char *const kSpeechCaptions[] = {"按键和结果", "仅结果", "不朗读"};

template <typename Control>
Control *Named(Control *control, const char *objectName, const QString &spokenName)
{
    control->setObjectName(QLatin1String(objectName));
    control->setAccessibleName(spokenName);
    return control;
}

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmOptions"));
    setWindowTitle(QStringLiteral("选项"));
    setAccessibleName(QStringLiteral("选项"));

    cmbRate = Named(new QComboBox(this), "cmbRate", QStringLiteral("语速"));
    for (const double rate : kSpeechRates)
        cmbRate->addItem(QStringLiteral("%1 倍").arg(rate));
    sldVolume = Named(new QSlider(Qt::Horizontal, this), "sldVolume", QStringLiteral("音量"));
    sldVolume->setRange(0, kLoudest);
    sldVolume->setPageStep(1);
    sldVolume->setTickPosition(QSlider::TicksBelow);
    chkMute = Named(new QCheckBox(QStringLiteral("静音(&M)"), this), "chkMute", QStringLiteral("静音"));
    cmbSpeech = Named(new QComboBox(this), "cmbSpeech", QStringLiteral("朗读内容"));
    for (const char *caption : kSpeechCaptions)
        cmbSpeech->addItem(QString::fromUtf8(caption));
    chkReadFunctions = Named(new QCheckBox(QStringLiteral("朗读函数键的结果(&F)"), this), "chkReadFunctions",
                             QStringLiteral("朗读函数键的结果"));
    cmbDigits = Named(new QComboBox(this), "cmbDigits", QStringLiteral("结果最多朗读位数"));
    cmbDigits->addItem(QStringLiteral("全部"));
    for (int n = kFewestDigits; n <= kMostDigits; ++n)
        cmbDigits->addItem(QStringLiteral("%1 位").arg(n));
    chkKeepTape = Named(new QCheckBox(QStringLiteral("关闭后保留计算记录(&K)"), this), "chkKeepTape",
                        QStringLiteral("关闭后保留计算记录"));

    auto *form = new QFormLayout;
    // The labels' buddies give each control its mnemonic.
    form->addRow(QStringLiteral("语速(&S)："), cmbRate);
    form->addRow(QStringLiteral("音量(&V)："), sldVolume);
    form->addRow(QString(), chkMute);
    form->addRow(QStringLiteral("朗读内容(&W)："), cmbSpeech);
    form->addRow(QString(), chkReadFunctions);
    form->addRow(QStringLiteral("结果最多朗读(&D)："), cmbDigits);
    form->addRow(QString(), chkKeepTape);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("btnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    SetSettings(settings_);
    const auto changed = [this] { ReadControls(); };
    connect(cmbRate, &QComboBox::currentIndexChanged, this, changed);
    connect(sldVolume, &QSlider::valueChanged, this, changed);
    connect(chkMute, &QCheckBox::toggled, this, changed);
    connect(cmbSpeech, &QComboBox::currentIndexChanged, this, changed);
    connect(chkReadFunctions, &QCheckBox::toggled, this, changed);
    connect(cmbDigits, &QComboBox::currentIndexChanged, this, changed);
    connect(chkKeepTape, &QCheckBox::toggled, this, changed);
}

void OptionsDialog::SetSettings(const ListenerSettings &settings)
{
    showing_ = true;
    settings_ = settings;
    cmbRate->setCurrentIndex(
        int(std::find(kSpeechRates.begin(), kSpeechRates.end(), settings.rate) - kSpeechRates.begin()));
    sldVolume->setValue(settings.volume);
    chkMute->setChecked(settings.mute);
    cmbSpeech->setCurrentIndex(int(settings.speech));
    chkReadFunctions->setChecked(settings.readFunctions);
    cmbDigits->setCurrentIndex(settings.digits == 0 ? 0 : settings.digits - kFewestDigits + 1);
    chkKeepTape->setChecked(settings.keepTape);
    showing_ = false;
}

void OptionsDialog::ReadControls()
{
    if (showing_)
        return;
    ListenerSettings next = settings_;
    next.rate = kSpeechRates[std::size_t(std::max(0, cmbRate->currentIndex()))];
    next.volume = sldVolume->value();
    next.mute = chkMute->isChecked();
    next.speech = static_cast<SpeechLevel>(std::max(0, cmbSpeech->currentIndex()));
    next.readFunctions = chkReadFunctions->isChecked();
    next.digits = cmbDigits->currentIndex() <= 0 ? 0 : cmbDigits->currentIndex() - 1 + kFewestDigits;
    next.keepTape = chkKeepTape->isChecked();
    if (next == settings_)
        return;
    settings_ = next;
    emit settingsChanged(settings_);
}

} // namespace tallyvox
