// The process-wide activity log: opened before anything else of the program runs and
// closed after everything else has ended (its closing line is the file's last).
#pragma once

#include "log/activity_log.h"

namespace tw {

ActivityLog& ProcessActivityLog();

}  // namespace tw
