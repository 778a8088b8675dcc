// A data file reader that reaches up into the shell and into Qt.
#include <QString>
#include <string>

#include "app/KindRegistry.h"
#include "datafiles/ConFile.h"
#include "platform/Log.h"
