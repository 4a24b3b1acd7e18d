// Loads the installed plug-in the way a host does and prints what the test checks: the
// radio's name, and the file the host contract library was loaded from (the plug-in and this
// host must share that one copy). Exits non-zero with the loader's reason when it fails.

#include "CatAbstract.h"
#include "DeviceManagerAbstract.h"
#include "quorvexCommand.h"

#include <QApplication>
#include <QPluginLoader>
#include <QTextStream>

#include <dlfcn.h>

namespace
{

QString libraryOf(const void* symbol)
{
    Dl_info info{};
    return dladdr(symbol, &info) != 0 && info.dli_fname ? QString::fromLocal8Bit(info.dli_fname)
                                                        : QString();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);

    QPluginLoader loader(QStringLiteral(PLUGIN_FILE));
    auto* cat = qobject_cast<CatAbstract*>(loader.instance());
    if (!cat) {
        out << "error " << loader.errorString() << Qt::endl;
        return 1;
    }

    // The host's side of the contract: its device manager, then its transceivers.
    DeviceManagerAbstract manager;
    cat->setManager(&manager);
    cat->setChannels(2);

    out << "plugin " << cat->name() << Qt::endl;
    out << "hostcontract " << libraryOf(&quorvexCommand::staticMetaObject) << Qt::endl;
    delete cat;
    return 0;
}
