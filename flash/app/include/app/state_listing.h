// brimlet --backups and --history: what brimlet keeps on the machine, as
// text or as JSON lines, without the lock, the driver or a window.
#pragma once
#include <cstdio>

#include "core/linux_options.h"

namespace brim {

// Prints the listing the check asks for; the exit status (0, or 1 when the
// history cannot be read).
int AnswerStateOption(const LinuxOptionCheck& check, std::FILE* out, std::FILE* err);

}  // namespace brim
