#include "tests/support/xml.h"

#include <libxml/parser.h>

namespace kelvo::test {

std::string xmlProblem(const std::string& document) {
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr) {
        return "libxml2 could not make a parser";
    }
    xmlDocPtr parsed = xmlCtxtReadMemory(context, document.data(),
                                         static_cast<int>(document.size()), "document.xml", nullptr,
                                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    std::string problem;
    if (parsed == nullptr) {
        const xmlError* error = xmlCtxtGetLastError(context);
        problem = error != nullptr && error->message != nullptr ? error->message : "not XML";
        if (problem.empty()) {
            problem = "not XML";
        }
    }
    xmlFreeDoc(parsed);
    xmlFreeParserCtxt(context);
    return problem;
}

}  // namespace kelvo::test
