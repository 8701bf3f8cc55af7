#pragma once

// PluginEditor: a slot's plug-in editor in its CDynDialogEx window, for the
// effect and instrument racks alike. Opening sizes the window from the
// editor's rectangle, shows it, embeds the editor into the window's native
// child, sizes it again from the rectangle the open editor reports (some
// report none before) and follows the plug-in's resize requests. The editor is closed
// (effEditClose) when the window closes and before its plug-in is unloaded
// (the rack calls close() before every load).
//
// The editor is embedded only on the xcb platform: elsewhere (Qt's offscreen
// platform) the child's id is no X11 window and real editors crash; the
// window is still shown and sized there. Tests with the project's stub
// editor may allow embedding everywhere.
//
// Threads: GUI thread only. Editor calls hold the slot's control mutex:
// opening only tries it and does nothing when a load or idle call is busy.

#include "plugins/CDynDialogEx.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class PluginSlot;

class PluginEditor : public QObject
{
    Q_OBJECT

public:
    PluginEditor(PluginSlot& slot, QWidget* owner, const QString& caption);
    ~PluginEditor() override;

    // Opens the editor; false (and nothing changes) when the slot has no
    // loaded plug-in with an editor, the window is already open or the slot
    // is busy.
    bool open();
    // Closes the plug-in's editor and hides the window; nothing when closed.
    void close();
    bool isOpen() const { return m_bOpen; }

    CDynDialogEx& window() { return *m_window; }

    // Called after the window was closed (by the user or by close()).
    void setClosedHandler(std::function<void()> closed) { m_closed = std::move(closed); }

    // Whether editors are embedded on this platform (xcb), or everywhere
    // for tests with a stub editor.
    static bool embeds();
    static void setEmbedEverywhere(bool everywhere);

private:
    void resizeEditor(int width, int height);
    void centreOverOwner();

    PluginSlot& m_slot;
    QWidget* m_pOwner;
    std::unique_ptr<CDynDialogEx> m_window;
    std::function<void()> m_closed;
    bool m_bOpen = false;
};
