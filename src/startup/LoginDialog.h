#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// Stands between start-up and the main window while a login password is set. A plain widget
// rather than a QDialog: Escape must do nothing, and no button is the default.
class LoginDialog : public QWidget
{
    Q_OBJECT
public:
    explicit LoginDialog(QString storedPassword, QWidget* parent = nullptr);

    // True when typed and stored password match with surrounding blanks removed, in any case.
    static bool matches(const QString& typed, const QString& stored);

    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

signals:
    void accepted();      // the main window is to be shown
    void quitRequested(); // cancel or close box: the program ends

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void check();

    QString m_storedPassword;
};
