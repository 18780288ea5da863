#include "lib/ErrorTrap.h"
#include "lib/modSimGeneral.h"

#include <QMetaObject>
#include <QObject>
#include <QVariant>

namespace {
const QString unsupportedProperty
    = QStringLiteral("オブジェクトは、このプロパティまたはメソッドをサポートしていません。");

// Lamp colours in 0x00BBGGRR form: off, green, red.
constexpr quint32 lampColors[] = {0x000000, 0x00FF00, 0x0000FF};
} // namespace

void CtrlLed(QObject &lamp, qint16 state)
{
    TrapErrors("(CtrlLed)", [&] {
        if (state < 0 || state > 2)
            return;
        // Checked first: setProperty would add a dynamic property to an object without one.
        if (lamp.metaObject()->indexOfProperty("fillColor") < 0
            || !lamp.setProperty("fillColor", QVariant::fromValue(lampColors[state])))
            throw RuntimeError(unsupportedProperty);
    });
}
