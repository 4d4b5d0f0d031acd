#include "discovery/ArticleNumbers.h"

#include <cctype>

namespace vellf {

namespace {

struct ArticleRange {
    int first;
    int last;  // inclusive
};

constexpr int kSingleArticles[] = {4826, 4830, 5012, 5290, 6104};

constexpr ArticleRange kArticleRanges[] = {
    {4840, 4849},  // 10
    {4900, 4919},  // 20
    {5100, 5109},  // 10
    {5500, 5599},  // 100
    {6200, 6210},  // 11
};

}  // namespace

bool IsReaderArticleNumber(int number) {
    for (int article : kSingleArticles) {
        if (number == article) return true;
    }
    for (const ArticleRange& range : kArticleRanges) {
        if (number >= range.first && number <= range.last) return true;
    }
    return false;
}

bool HasReaderArticleNumber(const std::string& name) {
    // Digits up to the first other character count, as a C library number reader takes them.
    int number = 0;
    for (size_t i = 0; i < name.size() && i < 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) break;
        number = number * 10 + (name[i] - '0');
    }
    return IsReaderArticleNumber(number);
}

}  // namespace vellf
