#include "midiremote/CMidiSetupDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
constexpr int kPortSelectorId = 1008;
constexpr int kControlChange = 0xB0;
constexpr int kProgramChange = 0xC0;
constexpr int kFontHeight = 13;
constexpr int kFunctionColumnWidth = 150;
constexpr int kMessageColumnWidth = 180;
constexpr int kSelectorHeight = 18;
} // namespace

CMidiSetupDlg::CMidiSetupDlg(CIni& settings, std::vector<std::string> deviceNames, int openPort,
                             QWidget* parent)
    : CommandReceiver<QDialog>(parent), m_settings(settings), m_deviceNames(std::move(deviceNames)),
      m_nPortInForce(openPort)
{
    setWindowTitle(QStringLiteral("Corvane MIDI Remote Control Setup"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(kFontHeight);
    setFont(font);

    m_pList = new QTreeWidget(this);
    m_pList->setHeaderLabels({QStringLiteral("Function"), QStringLiteral("MIDI Message")});
    m_pList->setRootIsDecorated(false);
    m_pList->setColumnWidth(0, kFunctionColumnWidth);
    m_pList->setColumnWidth(1, kMessageColumnWidth);
    m_pList->setMinimumSize(kFunctionColumnWidth + kMessageColumnWidth + 24, 300);
    const remote::Bindings bindings = remote::RestoreBindings(m_settings);
    for (int function = 0; function < remote::kFunctionCount; ++function)
        new QTreeWidgetItem(
            m_pList,
            {QString::fromStdString(remote::functionName(function)),
             QString::fromStdString(remote::bindingText(bindings[static_cast<size_t>(function)]))});

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel(QStringLiteral("MIDI Port:"), this));
    // The selector tells its parent widget of a choice: the dialog itself.
    m_port.create(this, QRect(0, 0, kMessageColumnWidth + 58, kSelectorHeight), kPortSelectorId);
    m_port.setparentwnd(this);
    m_port.setFixedSize(m_port.size());
    portRow->addWidget(&m_port);
    portRow->addStretch(1);
    QStringList ports{QStringLiteral("None")};
    for (const std::string& name : m_deviceNames)
        ports << QString::fromStdString(name);
    m_bFilling = true;
    m_port.setitems(ports);
    m_port.setitemindex(openPort + 1);
    m_bFilling = false;

    auto* hint = new QLabel(QStringLiteral("Select a function and then move a MIDI Controller or "
                                           "change a programe to assign"),
                            this);
    hint->setWordWrap(true);
    m_pClear = new QPushButton(QStringLiteral("Clear"), this);
    m_pClearAll = new QPushButton(QStringLiteral("Clear All"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(m_pClear, &QPushButton::clicked, this,
            [this]
            {
                if (const int function = selectedFunction(); function >= 0)
                    bind(function, remote::kUnbound, QStringLiteral("Not Assigned"));
            });
    connect(m_pClearAll, &QPushButton::clicked, this,
            [this]
            {
                for (int function = 0; function < remote::kFunctionCount; ++function)
                    bind(function, remote::kUnbound, QStringLiteral("Not assigned"));
            });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pClear);
    buttons->addWidget(m_pClearAll);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList, 1);
    layout->addLayout(portRow);
    layout->addWidget(hint);
    layout->addLayout(buttons);
}

void CMidiSetupDlg::OnCommand(int commandId, QWidget*)
{
    if (commandId != kPortSelectorId || m_bFilling)
        return;
    const int port = m_port.getitemindex() - 1;
    remote::SavePort(m_settings,
                     {port, port >= 0 ? m_deviceNames[static_cast<size_t>(port)] : std::string()});
    if (port != m_nPortInForce)
    {
        m_nPortInForce = port;
        emit portChanged();
    }
}

void CMidiSetupDlg::learn(int status, int data1)
{
    const int function = selectedFunction();
    if (function < 0)
        return;
    const int command = status & 0xF0;
    if (command == kControlChange)
        bind(function, data1, QString::fromStdString(remote::controllerName(data1)));
    else if (command == kProgramChange)
        bind(function, remote::kProgramChangeBase + data1,
             QString::fromStdString(remote::bindingText(remote::kProgramChangeBase + data1)));
}

void CMidiSetupDlg::selectFunction(int function)
{
    m_pList->setCurrentItem(function >= 0 ? m_pList->topLevelItem(function) : nullptr);
    if (function < 0)
        m_pList->clearSelection();
}

QString CMidiSetupDlg::bindingShown(int function) const
{
    return m_pList->topLevelItem(function)->text(1);
}

void CMidiSetupDlg::bind(int function, int binding, const QString& shown)
{
    remote::SaveBinding(m_settings, function, binding);
    m_pList->topLevelItem(function)->setText(1, shown);
}

int CMidiSetupDlg::selectedFunction() const
{
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? -1 : m_pList->indexOfTopLevelItem(selected.front());
}
