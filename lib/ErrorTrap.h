// Header only: the trap is a template around each trapping procedure's own body.
#pragma once

#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/RuntimeError.h"

#include <new>

// The error-logging convention: run body; on a run-time error log its description immediately
// followed by the tag, e.g. "(Main)", and report false. Nothing propagates past the trap.
template<typename Body> bool TrapErrors(const char *tag, Body &&body)
{
    QString description;
    try {
        body();
        return true;
    } catch (const RuntimeError &error) {
        description = error.description();
    } catch (const std::bad_alloc &) {
        description = ErrorText::outOfMemory;
    } catch (const std::exception &error) {
        description = QString::fromUtf8(error.what());
    }
    WriteLog(intToolIndex, description + QLatin1String(tag));
    return false;
}
