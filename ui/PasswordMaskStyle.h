#pragma once

#include <QProxyStyle>

// Masks a password field with "*" for every character; Qt's own styles use a bullet.
class PasswordMaskStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

class QLineEdit;

// Makes `field` a secret's field: masked with "*", closed to input methods, and answering no
// input method's question with its text.
void protectSecretField(QLineEdit& field);
