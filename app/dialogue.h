// The console setup dialogue and the preparation of a fresh search that ends it.
// Writes the path selection, curve parameters, tables, limits, zoom and phscale.
#pragma once

void setupDialogue();

// The preparation that ends every dialogue: report, boundary curves, velocity
// limit, zoom and phscale, search reset.
void prepareSearch();
