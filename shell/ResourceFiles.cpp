// Resource bytes to files: resources are built in as ":/<module>/<type>_<id>.<ext>".
#include "shell/ResourceFiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace shell {

bool ExtractResourceToFile(const std::string& module, unsigned id, const std::string& type,
                           const std::string& path) {
    if (type.empty() || path.empty()) return false;
    const QString folder =
        QStringLiteral(":/") + QString::fromStdString(module.empty() ? "kelmon" : module);
    const QStringList names = QDir(folder).entryList(
        {QStringLiteral("%1_%2.*").arg(QString::fromStdString(type).toLower()).arg(id)},
        QDir::Files);
    if (names.isEmpty()) return false;
    QFile resource(folder + "/" + names.front());
    if (!resource.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = resource.readAll();
    // Written aside and renamed into place, so a failed write never leaves half a file.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace shell
