#include "plugins/PluginEditor.h"

#include "platform/GuiThread.h"
#include "plughost/PluginSlot.h"

#include <QGuiApplication>

namespace
{
bool g_embedEverywhere = false;

// The editor's size from its rectangle; 0×0 when it reports none.
QSize sizeOf(const vst::EditorRect* rect)
{
    if (rect == nullptr)
        return {};
    return {rect->right - rect->left, rect->bottom - rect->top};
}
} // namespace

PluginEditor::PluginEditor(PluginSlot& slot, QWidget* owner, const QString& caption)
    : m_slot(slot), m_pOwner(owner), m_window(std::make_unique<CDynDialogEx>(owner))
{
    m_window->SetWindowTitle(caption);
    m_window->SetUseSystemButtons(false);
    m_window->SetModeless(true);
    connect(m_window.get(), &CDynDialogEx::windowClosed, this, [this] { close(); });
}

PluginEditor::~PluginEditor()
{
    m_closed = nullptr;
    close();
}

bool PluginEditor::embeds()
{
    return g_embedEverywhere || QGuiApplication::platformName() == QLatin1String("xcb");
}

void PluginEditor::setEmbedEverywhere(bool everywhere)
{
    g_embedEverywhere = everywhere;
}

bool PluginEditor::open()
{
    CORVANE_ASSERT_GUI_THREAD();
    if (m_bOpen || m_window->isVisible())
        return false;
    const std::unique_lock lock = m_slot.tryLockControl();
    if (!lock.owns_lock())
        return false;
    CMVST& plugin = m_slot.plugin();
    if (!plugin.isLoaded() || !plugin.hasEditor())
        return false;

    // The plug-in's resize requests come from inside its editor calls; the
    // window follows once those have returned.
    plugin.setSizeWindowHandler(
        [this](int width, int height)
        { platform::postToGui(this, [this, width, height] { resizeEditor(width, height); }); });
    const bool embed = embeds();
    vst::EditorRect* rect = nullptr;
    plugin.EditGetRect(&rect);
    resizeEditor(sizeOf(rect).width(), sizeOf(rect).height());
    // The window exists on the display before the editor goes into it.
    m_window->DoModal();
    centreOverOwner();
    if (embed)
    {
        plugin.EditOpen(reinterpret_cast<void*>(m_window->editorArea().winId()));
        // Some editors know their size only once open.
        plugin.EditGetRect(&rect);
        resizeEditor(sizeOf(rect).width(), sizeOf(rect).height());
        centreOverOwner();
    }
    m_bOpen = true;
    return true;
}

void PluginEditor::close()
{
    CORVANE_ASSERT_GUI_THREAD();
    if (!m_bOpen)
        return;
    m_bOpen = false;
    {
        // Must happen: waits for a busy slot (an idle call, at most).
        const std::unique_lock lock = m_slot.lockControl();
        m_slot.plugin().EditClose();
        m_slot.plugin().setSizeWindowHandler(nullptr);
    }
    m_window->hide();
    if (m_closed)
        m_closed();
}

void PluginEditor::resizeEditor(int width, int height)
{
    m_window->setEditorSize(width, height);
    m_window->adjustSize();
}

void PluginEditor::centreOverOwner()
{
    if (m_pOwner == nullptr)
        return;
    const QRect owner = m_pOwner->window()->frameGeometry();
    QRect frame = m_window->frameGeometry();
    frame.moveCenter(owner.center());
    m_window->move(frame.topLeft());
}
