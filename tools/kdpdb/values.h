// kdpdb's values: its text and bytes (text_bytes.h), dates (dates.h), field
// values read from the command line (value_input.h) and values written as
// text and JSON (value_output.h).
#ifndef KDDAO_TOOLS_KDPDB_VALUES_H_
#define KDDAO_TOOLS_KDPDB_VALUES_H_

#include "tools/kdpdb/dates.h"
#include "tools/kdpdb/text_bytes.h"
#include "tools/kdpdb/value_input.h"
#include "tools/kdpdb/value_output.h"

#endif  // KDDAO_TOOLS_KDPDB_VALUES_H_
