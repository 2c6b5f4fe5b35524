#include "data/ExplosiveCatalogue.h"

#include "core/NumberText.h"
#include "data/Database.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace kelmo {

namespace {
const char* const kCatalogueQuery = "select * from Explosives order by VVName asc";
}

void FillExplosiveList(QWidget* window) {
    auto* list = window ? window->findChild<QComboBox*>(QStringLiteral("Combo4")) : nullptr;
    if (!list) {
        return;
    }
    db::Connection connection;
    QSqlQuery query = connection.select(QLatin1String(kCatalogueQuery));
    {
        // Appending to an empty list would select the first name on the way; the selection
        // below is the one that counts.
        const QSignalBlocker block(list);
        const int before = list->count();
        while (query.next()) {
            list->addItem(db::Connection::field(query, QStringLiteral("VVName")).toString());
        }
        if (list->count() > 0 && before == 0) {
            list->setCurrentIndex(-1);
        }
    }
    if (list->count() > 0) {
        if (list->currentIndex() == 0) {
            // Already on the first entry: Qt raises no change, so show the energy here.
            ShowExplosiveEnergy(window);
        } else {
            list->setCurrentIndex(0);
        }
    }
    query.finish();
}

void ShowExplosiveEnergy(QWidget* window) {
    auto* list = window ? window->findChild<QComboBox*>(QStringLiteral("Combo4")) : nullptr;
    auto* energy = window ? window->findChild<QLineEdit*>(QStringLiteral("Text12")) : nullptr;
    if (!list || !energy) {
        return;
    }
    const QString name = list->currentText();
    db::Connection connection;
    QSqlQuery query = connection.select(QLatin1String(kCatalogueQuery));
    while (query.next()) {
        if (db::Connection::field(query, QStringLiteral("VVName")).toString() == name) {
            energy->setText(numtext::general(
                db::Connection::field(query, QStringLiteral("VVPower")).toDouble()));
        }
    }
    query.finish();
}

} // namespace kelmo
