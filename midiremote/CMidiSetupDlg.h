#pragma once

// CMidiSetupDlg: "Corvane MIDI Remote Control Setup". Lists the 53 functions
// with their bindings, chooses the remote port, and learns a binding: select
// a function, move a controller (or send a program change), and the binding
// is written at once. Clear and Clear All unbind. The view hands it every
// message while it is open (learn) and reopens the port when it changes.
//
// Threads: GUI thread.

#include "midiremote/RemoteSettings.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

class CMidiSetupDlg : public CommandReceiver<QDialog>
{
    Q_OBJECT

public:
    // deviceNames: the MIDI inputs now; openPort: the index of the port the
    // remote has open (-1 none), which the selector shows.
    CMidiSetupDlg(CIni& settings, std::vector<std::string> deviceNames, int openPort,
                  QWidget* parent = nullptr);

    // A message from the remote port: status byte and data 1. Binds the
    // selected function to a control or program change; others are ignored.
    void learn(int status, int data1);

    // Row 0-52; -1 selects none.
    void selectFunction(int function);
    QString bindingShown(int function) const;

    QTreeWidget& list() { return *m_pList; }
    CMCombo& portSelector() { return m_port; }
    QPushButton& clearButton() { return *m_pClear; }
    QPushButton& clearAllButton() { return *m_pClearAll; }

signals:
    // The user chose another port; it is written to the settings already.
    void portChanged();

protected:
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    void bind(int function, int binding, const QString& shown);
    int selectedFunction() const;

    CIni& m_settings;
    std::vector<std::string> m_deviceNames;
    int m_nPortInForce;
    CMCombo m_port;
    QTreeWidget* m_pList = nullptr;
    QPushButton* m_pClear = nullptr;
    QPushButton* m_pClearAll = nullptr;
    bool m_bFilling = false;
};
