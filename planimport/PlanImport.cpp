#include "planimport/PlanImport.h"

#include "core/NumberText.h"
#include "data/StructureKinds.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <map>

namespace kelmo::planimport {

namespace {

int middle(double min, double max) {
    const double m = std::nearbyint((min + max) / 2);
    return std::isfinite(m) ? static_cast<int>(std::clamp(m, -32768.0, 32767.0)) : 0;
}

} // namespace

PlanStructures structuresOf(db::Connection& c, const SourceReading& reading,
                            const QString& kindForAll) {
    PlanStructures out;
    out.refused = reading.refused;

    // Kinds by name; a name that two types share is the first one of the table.
    QHash<QString, db::KindRecord> kinds;
    QHash<QString, db::KindRecord> kindsAnyCase;
    for (db::KindRecord& kind : db::readStructureKinds(c)) {
        if (!kinds.contains(kind.name)) {
            kinds.insert(kind.name, kind);
        }
        const QString folded = kind.name.toCaseFolded();
        if (!kindsAnyCase.contains(folded)) {
            kindsAnyCase.insert(folded, std::move(kind));
        }
    }
    const auto kindNamed = [&](const QString& name) -> const db::KindRecord* {
        auto it = kinds.constFind(name.trimmed());
        if (it != kinds.constEnd()) {
            return &*it;
        }
        it = kindsAnyCase.constFind(name.trimmed().toCaseFolded());
        return it != kindsAnyCase.constEnd() ? &*it : nullptr;
    };

    // The order of numbering: the file's, or that of the number field.
    std::vector<const SourceOutline*> order;
    order.reserve(static_cast<std::size_t>(reading.outlines.size()));
    std::map<int, int> featureOfNumber;
    for (const SourceOutline& o : reading.outlines) {
        if (o.number) {
            const auto [it, fresh] = featureOfNumber.emplace(*o.number, o.feature);
            if (!fresh) {
                out.refused.append(
                    {o.feature,
                     QStringLiteral("номер %1 уже у объекта %2").arg(*o.number).arg(it->second)});
                continue;
            }
        }
        order.push_back(&o);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const SourceOutline* a, const SourceOutline* b) {
                         return a->number.value_or(0) < b->number.value_or(0);
                     });
    if (order.size() > static_cast<std::size_t>(db::kMaxStructureNumber)) {
        out.refused.append({0, QStringLiteral("в слое %1 контуров, на плане помещается не больше "
                                              "%2 сооружений")
                                   .arg(order.size())
                                   .arg(db::kMaxStructureNumber)});
        return out;
    }

    int number = 0;
    for (const SourceOutline* o : order) {
        ++number;
        if (o->number && *o->number != number) {
            out.renumbered = true;
        }
        if (const auto defect = outlineDefect(o->vertices)) {
            out.refused.append(
                {o->feature,
                 QStringLiteral("контур не принят: %1").arg(QString::fromStdString(*defect))});
            continue;
        }
        const QString kindName = kindForAll.isEmpty() ? o->kind : kindForAll;
        if (kindName.trimmed().isEmpty()) {
            out.refused.append({o->feature, QStringLiteral("вид сооружения не задан")});
            continue;
        }
        const db::KindRecord* kind = kindNamed(kindName);
        if (!kind) {
            out.refused.append({o->feature, QStringLiteral("вид сооружения «%1» не найден в "
                                                           "справочнике")
                                                .arg(kindName)});
            continue;
        }
        ImportedStructure s;
        s.feature = o->feature;
        s.outline = o->vertices;
        db::StructureRecord& r = s.record;
        r.number = number;
        r.type = kind->typeName;
        r.kind = kind->name;
        r.storeys = QString::number(o->storeys);
        r.staff = QString::number(o->staff);
        for (std::size_t d = 0; d < 4; ++d) {
            r.pressure[d] = middle(kind->ranges[2 * d], kind->ranges[2 * d + 1]);
        }
        r.selected[0] = true; // the editor's first degree
        db::setOutline(r, s.outline);
        out.structures.append(std::move(s));
    }
    std::stable_sort(
        out.refused.begin(), out.refused.end(),
        [](const RefusedObject& a, const RefusedObject& b) { return a.feature < b.feature; });
    return out;
}

} // namespace kelmo::planimport

namespace kelmo::planimport {

int storePlanStructures(db::Connection& c, const QString& planName,
                        const QList<ImportedStructure>& structures, std::optional<int> epsg,
                        bool replace) {
    QList<db::StructureRecord> records;
    records.reserve(structures.size());
    for (const ImportedStructure& s : structures) {
        records.append(s.record);
    }
    return db::storeImportedPlan(c, planName, records, epsg, replace);
}

} // namespace kelmo::planimport
