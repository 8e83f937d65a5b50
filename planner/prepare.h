// The preparation that ends every dialogue: report, boundary curves, velocity
// limit, zoom and phscale, search reset. Reads the path and limits of `sim`.
#pragma once

void prepareSearch();
