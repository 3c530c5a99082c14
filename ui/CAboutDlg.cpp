#include "ui/CAboutDlg.h"

#include "res/Version.h"
#include "text/NarrowEncoding.h"
#include "ui/AppIcon.h"
#include "ui/DialogUnits.h"
#include "ui/MainWindowTemplate.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel* plainLabel(const char* text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    // Plain text: an ampersand is shown as it is.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(QString::fromUtf8(text));
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_icon(new QLabel(this))
    , m_name(plainLabel(QUORLIN_ABOUT_NAME_TEXT, this))
    , m_notice(plainLabel(("文本编码 " + NarrowEncoding::process().name()).c_str(), this))
    , m_ok(new QPushButton(QString::fromUtf8("确定"), this))
{
    setWindowTitle(QString::fromUtf8(kCaption));
    const QFont font = DialogUnits::standInFont(
        QString::fromUtf8(MainWindowTemplate::kFontFamily), MainWindowTemplate::kFontPointSize);
    setFont(font);

    // Drawn at its own size from the control's top-left corner.
    m_icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_icon->setPixmap(AppIcon::mainFrame().pixmap(AppIcon::kLargeSize, AppIcon::kLargeSize));

    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    const DialogUnits units(font);
    m_icon->setGeometry(units.toPixels(11, 17, 20, 20));
    m_name->setGeometry(units.toPixels(40, 10, 119, 8));
    m_notice->setGeometry(units.toPixels(40, 25, 119, 8));
    m_ok->setGeometry(units.toPixels(178, 7, 50, 14));
    setFixedSize(units.toPixels(kWidth, kHeight));
    m_ok->setFocus();
}
