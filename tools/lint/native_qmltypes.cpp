// Writes the type description of the module ZRNCalipers.Native for qmllint:
// a qmldir and a qmltypes file made from NativeOverlayWindow's own meta-object,
// so the description can't drift from the class. The program registers the
// type by hand at start-up, so its build makes no such description itself.
// Usage: zrn-native-qmltypes <output folder>   (writes ZRNCalipers/Native/ below it)

#include "native_overlay_window.h"

#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QTextStream>
#include <cstdio>

namespace {

QString quoted(const QByteArray &text)
{
    return QLatin1Char('"') + QString::fromLatin1(text) + QLatin1Char('"');
}

void writeParameters(QTextStream &out, const QMetaMethod &method)
{
    const QList<QByteArray> names = method.parameterNames();
    for (int i = 0; i < method.parameterCount(); ++i) {
        out << "            Parameter { name: " << quoted(names.value(i))
            << "; type: " << quoted(method.parameterTypeName(i)) << " }\n";
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: zrn-native-qmltypes <output folder>\n", stderr);
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).filePath("ZRNCalipers/Native");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }

    QFile qmldir(folder + "/qmldir");
    QFile types(folder + "/native.qmltypes");
    if (!qmldir.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !types.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write into %s\n", qPrintable(folder));
        return 1;
    }
    QTextStream(&qmldir)
        << "module ZRNCalipers.Native\ntypeinfo native.qmltypes\ndepends QtQuick\n";

    const QMetaObject &mo = NativeOverlayWindow::staticMetaObject;
    QTextStream out(&types);
    out << "import QtQuick.tooling 1.2\n\nModule {\n    Component {\n"
        << "        file: \"native_overlay_window.h\"\n"
        << "        name: " << quoted(mo.className()) << "\n"
        << "        accessSemantics: \"reference\"\n"
        << "        prototype: " << quoted(mo.superClass()->className()) << "\n"
        << "        exports: [\"ZRNCalipers.Native/NativeOverlayWindow 1.0\"]\n"
        << "        exportMetaObjectRevisions: [256]\n";
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        out << "        Property { name: " << quoted(p.name())
            << "; type: " << quoted(p.typeName());
        if (p.hasNotifySignal())
            out << "; notify: " << quoted(p.notifySignal().name());
        if (!p.isWritable())
            out << "; isReadonly: true";
        out << "; index: " << (i - mo.propertyOffset()) << " }\n";
    }
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod m = mo.method(i);
        if (m.access() == QMetaMethod::Private)
            continue;
        const bool isSignal = m.methodType() == QMetaMethod::Signal;
        out << "        " << (isSignal ? "Signal" : "Method") << " {\n"
            << "            name: " << quoted(m.name()) << "\n";
        if (!isSignal && m.returnType() != QMetaType::Void)
            out << "            type: " << quoted(m.typeName()) << "\n";
        writeParameters(out, m);
        out << "        }\n";
    }
    out << "    }\n}\n";
    return out.status() == QTextStream::Ok ? 0 : 1;
}
