#include "framework/Halvane.h"

QString Halvane::version() { return QStringLiteral("0.1.0"); }
