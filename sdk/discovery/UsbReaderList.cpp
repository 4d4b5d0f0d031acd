#include "discovery/UsbReaderList.h"

#include <algorithm>

#include "discovery/ArticleNumbers.h"
#include "transport/D2xxPort.h"
#include "transport/HidLink.h"

namespace vellf {

std::vector<std::string> ListUsbReaders() {
    std::vector<std::string> readers;
    {
        CFTD2xxPort d2xx;  // loads the library for this listing only
        d2xx.ListD2xxReaders(readers);
    }
    CHidLink::ListReaders(readers);
    readers.erase(
        std::remove_if(readers.begin(), readers.end(),
                       [](const std::string& name) { return !HasReaderArticleNumber(name); }),
        readers.end());
    return readers;
}

}  // namespace vellf
