// The console lines of the search that explain why something did not happen: a
// table that is full, a join that is refused, a step that would leave the
// admissible region, a boundary curve cut by its table. The lines that could
// repeat every frame are given once per search; resetNotices starts a new search.
#pragma once

// Forgets which once-per-search lines were given (a new search begins).
void resetNotices();

// Once per search: a motion is cut at the end of the trajectory tables.
void reportTableFull();
// Once per search: the 30 switching records are used up.
void reportRecordsFull();
// Once per search: a join is refused because the completion to standstill does
// not fit the trajectory tables.
void reportJoinDoesNotFit();

// A search step would cross the velocity limit: it adds no point.
void reportLimitCrossed();

// At the preparation: a boundary curve filled its table before it met the
// velocity limit or the other end of the path.
enum CurveCut { CUT_DECELERATION, CUT_ACCELERATION };
void reportCurveCut(CurveCut which);
