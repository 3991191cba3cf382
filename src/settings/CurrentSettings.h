#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class SettingsWindow;

namespace store {
class Store;
}

// The program's current clinic name, doctor and dispenser: the texts of the settings window's
// boxes. Asking while the window is not loaded loads it hidden, and it stays loaded until it
// unloads itself, so readers see the values of its last load, or whatever is being typed into
// it while it is open.
class CurrentSettings : public QObject
{
    Q_OBJECT
public:
    explicit CurrentSettings(store::Store& store, QObject* parent = nullptr);
    ~CurrentSettings() override;

    // The menu command: loads the window unless it is loaded, then shows and raises it.
    SettingsWindow* show();

    QString clinicName();
    QString doctor();
    QString dispenser();

    // The loaded window, or null.
    SettingsWindow* window() const;

private:
    SettingsWindow* loaded();

    store::Store& m_store;
    QPointer<SettingsWindow> m_window;
};
