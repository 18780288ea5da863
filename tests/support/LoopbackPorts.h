#pragma once

#include <QtGlobal>

// A TCP port that nothing listened on a moment ago. With a short form, one of at most four
// digits, so that a blank and the port still fit a five-character entry.
enum class PortForm { Any, FourDigits };
quint16 FreeLoopbackPort(PortForm form = PortForm::Any);
