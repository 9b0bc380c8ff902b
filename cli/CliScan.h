#pragma once

#include "LocaleFormats.h"
#include "OptionRec.h"
#include "ScanResult.h"

#include <cstdio>

// Runs one scan to its end on a scan thread of its own and returns its result. The progress
// line goes to `progress` (null: none).
TScanResult RunCliScan(const TOptionRec& options, FILE* progress, const TLocaleFormats& formats);
