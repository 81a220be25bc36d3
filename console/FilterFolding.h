#pragma once

#include <QString>

// The text the filter compares, rows' and typed alike: without case or accents, and with the
// letters an operator cannot type on a plain keyboard written as they would type them:
// "Søren Łukasz Weiß, Ærø" becomes "soren lukasz weiss, aero".
QString foldForFilter(const QString& text);
