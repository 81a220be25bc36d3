#include "PasswordMaskStyle.h"

#include <QInputMethodQueryEvent>
#include <QLineEdit>

int PasswordMaskStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const
{
    if (hint == QStyle::SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

namespace {

class SecretQueries : public QObject
{
public:
    explicit SecretQueries(QLineEdit& field)
        : QObject(&field)
        , secret(field)
    {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &secret || event->type() != QEvent::InputMethodQuery)
            return false;
        // The secret takes no input method; a line edit would otherwise say it does.
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        const auto queries = static_cast<unsigned>(query->queries());
        for (unsigned bit = 1; bit != 0; bit <<= 1) {
            if ((queries & bit) == 0)
                continue;
            const auto one = static_cast<Qt::InputMethodQuery>(bit);
            // A line edit answers the text queries with its clear text, even masked.
            const bool text = one == Qt::ImSurroundingText || one == Qt::ImCurrentSelection ||
                              one == Qt::ImTextBeforeCursor || one == Qt::ImTextAfterCursor;
            query->setValue(one, one == Qt::ImEnabled ? QVariant(false)
                                 : text               ? QVariant(QString())
                                                      : secret.inputMethodQuery(one));
        }
        query->accept();
        return true;
    }

private:
    QLineEdit& secret;
};

} // namespace

void protectSecretField(QLineEdit& field)
{
    field.setEchoMode(QLineEdit::Password);
    auto* mask = new PasswordMaskStyle();
    mask->setParent(&field);
    field.setStyle(mask);
    // After setEchoMode, which would turn the input method back on.
    field.setAttribute(Qt::WA_InputMethodEnabled, false);
    field.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    field.installEventFilter(new SecretQueries(field));
}
