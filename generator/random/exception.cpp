#include "exception.h"

namespace brisolt {

Exception::Exception(const char* prefix, const std::string& message) {
    exception_text = "\n\nAn exception has been thrown\n";
    exception_text += prefix;
    exception_text += message;
    if (exception_text.size() > kExceptionTextLimit) {
        exception_text.resize(kExceptionTextLimit);
    }
}

}  // namespace brisolt
