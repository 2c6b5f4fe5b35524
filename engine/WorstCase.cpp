#include "engine/WorstCase.h"

#include <cstddef>

namespace kelmo {

bool isWorseImpact(const StructureImpact& a, const StructureImpact& b) {
    if (a.degree && b.degree && *a.degree != *b.degree) {
        return *a.degree > *b.degree;
    }
    return a.deltaPkPa > b.deltaPkPa;
}

SituationTotals totalsOf(const std::vector<SituationRow>& rows) {
    SituationTotals totals;
    for (const SituationRow& row : rows) {
        totals.staff += row.structure.staff;
        if (!row.impact) {
            ++totals.refused;
            continue;
        }
        if (row.impact->degree) {
            ++totals.byDegree[static_cast<std::size_t>(*row.impact->degree)];
        } else {
            ++totals.undetermined;
        }
        totals.injured += row.impact->injured;
    }
    return totals;
}

WorstCaseResult worstCase(const std::vector<const SituationResult*>& situations) {
    WorstCaseResult out;
    if (situations.empty()) {
        return out;
    }
    const SituationResult& first = *situations.front();
    out.situation.massTNT = first.massTNT;
    out.situation.chargePoint = first.chargePoint;
    for (const SituationResult* s : situations) {
        if (s->massTNT > out.situation.massTNT) {
            out.situation.massTNT = s->massTNT;
            out.situation.chargePoint = s->chargePoint;
        }
    }
    const std::size_t count = first.rows.size();
    out.situation.rows.reserve(count);
    out.source.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        int worst = 0;
        const SituationRow* worstRow = &first.rows[i];
        for (std::size_t k = 1; k < situations.size(); ++k) {
            const SituationRow& row = situations[k]->rows[i];
            if (!row.impact) {
                continue;
            }
            if (!worstRow->impact || isWorseImpact(*row.impact, *worstRow->impact)) {
                worst = static_cast<int>(k);
                worstRow = &row;
            }
        }
        out.situation.rows.push_back(*worstRow);
        out.source.push_back(worst);
    }
    out.situation.totals = totalsOf(out.situation.rows);
    return out;
}

} // namespace kelmo
