// The console setup dialogue and the preparation of a fresh search that ends it.
// Writes the path selection, curve parameters, tables and limits, then prepares
// a fresh search (planner/prepare.h).
#pragma once

void setupDialogue();
