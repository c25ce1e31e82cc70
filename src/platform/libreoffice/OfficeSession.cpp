#include "platform/libreoffice/OfficeSession.h"

#include <QFileInfo>
#include <QUrl>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <initializer_list>
#include <map>
#include <mutex>

namespace qp {

namespace uno = com::sun::star::uno;
namespace beans = com::sun::star::beans;
namespace css = com::sun::star;
using rtl::OUString;
using uno::Reference;
using uno::Sequence;
using uno::UNO_QUERY;
using uno::UNO_QUERY_THROW;

namespace {

OUString toOUString(const QString& text) {
    return OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()),
                    static_cast<sal_Int32>(text.size()));
}

QString toQString(const OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

std::string toStd(const OUString& text) {
    return toQString(text).toStdString();
}

beans::PropertyValue property(const char* name, const uno::Any& value) {
    beans::PropertyValue result;
    result.Name = OUString::createFromAscii(name);
    result.Value = value;
    return result;
}

Sequence<beans::PropertyValue> properties(std::initializer_list<beans::PropertyValue> list) {
    return Sequence<beans::PropertyValue>(list.begin(), static_cast<sal_Int32>(list.size()));
}

QString fileUrl(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

// Runs a piece of UNO work and turns UNO's exceptions into ours.
template <class Work> auto translated(const char* what, Work work) -> decltype(work()) {
    try {
        return work();
    } catch (const css::lang::DisposedException& e) {
        throw OfficeFailure(std::string(what) + ": the connection to LibreOffice broke (" +
                                toStd(e.Message) + ")",
                            true);
    } catch (const uno::Exception& e) {
        throw OfficeFailure(std::string(what) + ": " + toStd(e.Message), false);
    }
}

} // namespace

struct OfficeSession::Impl {
    QString programDir;
    Reference<uno::XComponentContext> local;
    Reference<uno::XComponentContext> remote;
    Reference<css::frame::XComponentLoader> desktop;
    std::map<int, Reference<css::lang::XComponent>> documents;
    int nextDocument = 1;

    Reference<css::sheet::XSpreadsheet> sheetAt(int document, int sheetIndex) const {
        Reference<css::sheet::XSpreadsheetDocument> spreadsheet(this->document(document),
                                                                UNO_QUERY_THROW);
        Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
        return Reference<css::sheet::XSpreadsheet>(sheets->getByIndex(sheetIndex), UNO_QUERY_THROW);
    }

    Reference<css::lang::XComponent> document(int id) const {
        const auto it = documents.find(id);
        if (it == documents.end())
            throw OfficeFailure("the document is no longer loaded in LibreOffice", false);
        return it->second;
    }

    void bootstrapLocal() {
        if (local.is())
            return;
        // The bootstrap settings are the process's own: sessions of several offices set them up
        // one after the other.
        static std::mutex bootstrapping;
        const std::lock_guard<std::mutex> lock(bootstrapping);
        const OUString program = toOUString(QUrl::fromLocalFile(programDir).toString());
        rtl::Bootstrap::set("URE_INTERNAL_LIB_DIR", program);
        // Without the office's own types the first call on a remote object fails.
        rtl::Bootstrap::set("UNO_TYPES", program + "/types.rdb " + program + "/types/offapi.rdb");
        rtl::Bootstrap::set("UNO_SERVICES", program + "/services.rdb");
        local = cppu::defaultBootstrap_InitialComponentContext();
    }
};

OfficeSession::OfficeSession(QString programDir) : m(std::make_unique<Impl>()) {
    m->programDir = std::move(programDir);
}

OfficeSession::~OfficeSession() = default;

bool OfficeSession::connect(const QString& pipeName) {
    return translated("connecting to LibreOffice", [&] {
        m->bootstrapLocal();
        Reference<css::bridge::XUnoUrlResolver> resolver(
            m->local->getServiceManager()->createInstanceWithContext(
                "com.sun.star.bridge.UnoUrlResolver", m->local),
            UNO_QUERY_THROW);
        Reference<uno::XInterface> remote;
        try {
            remote = resolver->resolve("uno:pipe,name=" + toOUString(pipeName) +
                                       ";urp;StarOffice.ComponentContext");
        } catch (const css::connection::NoConnectException&) {
            return false;
        }
        m->remote.set(remote, UNO_QUERY_THROW);
        m->desktop.set(m->remote->getServiceManager()->createInstanceWithContext(
                           "com.sun.star.frame.Desktop", m->remote),
                       UNO_QUERY_THROW);
        return true;
    });
}

void OfficeSession::disconnect() {
    // A broken bridge may throw on release; nothing of it is used again.
    try {
        m->documents.clear();
        m->desktop.clear();
        m->remote.clear();
    } catch (const uno::Exception&) {
    }
}

int OfficeSession::load(const QString& path) {
    return translated("loading the document", [&] {
        if (!m->desktop.is())
            throw OfficeFailure("not connected to LibreOffice", true);
        const Sequence<beans::PropertyValue> arguments = properties({
            property("Hidden", uno::Any(true)), property("ReadOnly", uno::Any(true)),
            property("MacroExecutionMode", uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
            property("UpdateDocMode", uno::Any(css::document::UpdateDocMode::NO_UPDATE)),
            // No InteractionHandler: a password or any other question makes the load fail.
        });
        Reference<css::lang::XComponent> document;
        try {
            document =
                m->desktop->loadComponentFromURL(toOUString(fileUrl(path)), "_blank", 0, arguments);
        } catch (const css::lang::IllegalArgumentException& e) {
            throw DocumentRefused("LibreOffice cannot open it (" + toStd(e.Message) + ")");
        } catch (const css::io::IOException& e) {
            throw DocumentRefused("LibreOffice cannot read it (" + toStd(e.Message) + ")");
        }
        if (!document.is())
            throw DocumentRefused(
                "LibreOffice gave no document for it (protected by a password or unreadable)");

        const int id = m->nextDocument++;
        m->documents[id] = document;
        OUString filter;
        try {
            Reference<css::frame::XModel> model(document, UNO_QUERY);
            if (model.is()) {
                for (const beans::PropertyValue& argument : model->getArgs())
                    if (argument.Name == "FilterName")
                        argument.Value >>= filter;
            }
        } catch (...) {
            closeQuietly(id);
            throw;
        }
        // Bytes LibreOffice does not recognise open as plain text and would print as garbage.
        if (filter.isEmpty() || filter.startsWith("Text")) {
            closeQuietly(id);
            throw DocumentRefused("LibreOffice can open it only as plain text (filter \"" +
                                  toStd(filter) + "\")");
        }
        return id;
    });
}

void OfficeSession::activate(int document) {
    translated("activating the document", [&] {
        Reference<css::frame::XModel> model(m->document(document), UNO_QUERY_THROW);
        Reference<css::frame::XController> controller = model->getCurrentController();
        if (controller.is() && controller->getFrame().is())
            controller->getFrame()->activate();
    });
}

bool OfficeSession::isSpreadsheet(int document) {
    return translated("inspecting the document", [&] {
        return Reference<css::sheet::XSpreadsheetDocument>(m->document(document), UNO_QUERY).is();
    });
}

int OfficeSession::sheetCount(int document) {
    return translated("counting the worksheets", [&] {
        Reference<css::sheet::XSpreadsheetDocument> spreadsheet(m->document(document),
                                                                UNO_QUERY_THROW);
        Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
        return static_cast<int>(sheets->getCount());
    });
}

bool OfficeSession::isSheetVisible(int document, int sheetIndex) {
    return translated("looking at the worksheet", [&] {
        bool visible = true;
        Reference<css::beans::XPropertySet>(m->sheetAt(document, sheetIndex), UNO_QUERY_THROW)
            ->getPropertyValue("IsVisible") >>= visible;
        return visible;
    });
}

bool OfficeSession::exportPdf(int document, int sheetIndex, const QString& path) {
    return translated("rendering into PDF", [&] {
        Reference<css::lang::XComponent> component = m->document(document);
        Reference<css::lang::XServiceInfo> kind(component, UNO_QUERY_THROW);
        const char* filter = "writer_pdf_Export";
        if (kind->supportsService("com.sun.star.sheet.SpreadsheetDocument"))
            filter = "calc_pdf_Export";
        else if (kind->supportsService("com.sun.star.presentation.PresentationDocument"))
            filter = "impress_pdf_Export";
        else if (kind->supportsService("com.sun.star.drawing.DrawingDocument"))
            filter = "draw_pdf_Export";
        // Pictures go to the printer as the document holds them: scaling each one down and
        // compressing it again costs more time than any other step of a picture-heavy deck.
        const beans::PropertyValue picturesAsHeld =
            property("ReduceImageResolution", uno::Any(false));
        // A sheet given as the selection renders as that sheet alone prints: its print ranges,
        // page styles and breaks, and no other sheet.
        const Sequence<beans::PropertyValue> filterData =
            sheetIndex < 0
                ? properties({picturesAsHeld})
                : properties({picturesAsHeld,
                              property("Selection", uno::Any(m->sheetAt(document, sheetIndex)))});
        Reference<css::frame::XStorable>(component, UNO_QUERY_THROW)
            ->storeToURL(
                toOUString(fileUrl(path)),
                properties({property("FilterName", uno::Any(OUString::createFromAscii(filter))),
                            property("FilterData", uno::Any(filterData))}));
        return QFileInfo(path).size() > 0;
    });
}

void OfficeSession::close(int document) {
    const auto it = m->documents.find(document);
    if (it == m->documents.end())
        return;
    Reference<css::lang::XComponent> component = it->second;
    m->documents.erase(it);
    translated("closing the document", [&] {
        Reference<css::util::XCloseable> closeable(component, UNO_QUERY);
        if (closeable.is()) {
            try {
                closeable->close(true);
                return;
            } catch (const css::util::CloseVetoException&) {
                // Still busy (a print job): it closes itself when done, as asked by "true".
                return;
            }
        }
        component->dispose();
    });
}

void OfficeSession::closeQuietly(int document) noexcept {
    try {
        close(document);
    } catch (...) {
    }
}

int OfficeSession::openDocumentCount() {
    return translated("listing the open documents", [&] {
        if (!m->desktop.is())
            return 0;
        Reference<css::frame::XDesktop> desktop(m->desktop, UNO_QUERY_THROW);
        Reference<css::container::XEnumeration> components =
            desktop->getComponents()->createEnumeration();
        int count = 0;
        for (; components->hasMoreElements(); components->nextElement())
            ++count;
        return count;
    });
}

void OfficeSession::warmUp(const QString& folder, const std::atomic<bool>& stop) {
    const struct {
        const char* factory;
        const char* filter;
        const char* name;
    } kinds[] = {{"swriter", "MS Word 97", "warm.doc"},
                 {"scalc", "MS Excel 97", "warm.xls"},
                 {"simpress", "MS PowerPoint 97", "warm.ppt"}};
    for (const auto& kind : kinds) {
        if (stop)
            return;
        const QString path = folder + QLatin1Char('/') + QLatin1String(kind.name);
        translated("making a document to warm up with", [&] {
            if (!m->desktop.is())
                throw OfficeFailure("not connected to LibreOffice", true);
            Reference<css::lang::XComponent> made = m->desktop->loadComponentFromURL(
                OUString::createFromAscii("private:factory/") +
                    OUString::createFromAscii(kind.factory),
                "_blank", 0, properties({property("Hidden", uno::Any(true))}));
            Reference<css::util::XCloseable> closeable(made, UNO_QUERY_THROW);
            try {
                Reference<css::frame::XStorable>(made, UNO_QUERY_THROW)
                    ->storeToURL(
                        toOUString(fileUrl(path)),
                        properties({property("FilterName",
                                             uno::Any(OUString::createFromAscii(kind.filter)))}));
            } catch (...) {
                closeable->close(true);
                throw;
            }
            closeable->close(true);
        });
        const int id = load(path);
        try {
            // What the first job waits for: the PDF export and its fonts.
            exportPdf(id, -1, path + ".pdf");
        } catch (...) {
            closeQuietly(id);
            throw;
        }
        close(id);
    }
}

} // namespace qp
