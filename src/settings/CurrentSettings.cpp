#include "settings/CurrentSettings.h"

#include "settings/SettingsWindow.h"

#include <QLineEdit>

CurrentSettings::CurrentSettings(store::Store& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
}

CurrentSettings::~CurrentSettings()
{
    // The window is a top-level window without a parent widget, so nothing else would end it.
    delete m_window.data();
}

SettingsWindow* CurrentSettings::loaded()
{
    if (!m_window) {
        m_window = new SettingsWindow(m_store);
        // The window is deleted only later, when events run; from the moment it closes, a
        // reader must get a fresh load rather than the closing window's texts.
        connect(m_window, &SettingsWindow::unloaded, this, [this, closing = m_window.data()] {
            if (m_window == closing)
                m_window.clear();
        });
    }
    return m_window;
}

SettingsWindow* CurrentSettings::show()
{
    SettingsWindow* window = loaded();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QString CurrentSettings::clinicName() { return loaded()->Text1->text(); }
QString CurrentSettings::doctor() { return loaded()->Text2->text(); }
QString CurrentSettings::dispenser() { return loaded()->Text3->text(); }

SettingsWindow* CurrentSettings::window() const { return m_window.data(); }
