// Path and file-system helpers, one header per topic: path text, file status,
// file access, folders and the operations deferred to the end of the process.
// Including this header gives all of them.
#pragma once
#include "base/exit_ops.h"
#include "base/file_access.h"
#include "base/file_status.h"
#include "base/folders.h"
#include "base/handles.h"
#include "base/path_text.h"
