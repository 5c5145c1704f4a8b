#include "analysis/analysis_state.h"

AnalysisState ana;

void reset_analysis_state() {
    ana = AnalysisState{};
}
