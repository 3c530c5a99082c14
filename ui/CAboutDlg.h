#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: the icon, the program's name and version, a notice and
// OK. Esc and Enter close it through the dialog's own handling.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "关于 Quorlin";
    static constexpr int kWidth = 235;
    static constexpr int kHeight = 55;

    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* iconLabel() const { return m_icon; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* noticeLabel() const { return m_notice; }
    QPushButton* okButton() const { return m_ok; }

private:
    QLabel* m_icon;
    QLabel* m_name;
    QLabel* m_notice;
    QPushButton* m_ok;
};
