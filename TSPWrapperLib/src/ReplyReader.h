#pragma once
// Reading the service's XML replies: the reply's top-level element, and child elements as
// text, numbers, booleans and the common "status" record. An absent or empty element reads
// as the empty text, 0 or false. Safe from any thread.

#include <tinyxml.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "TSPWrapperLib.h"
#include "xml/BoundedParse.h"

namespace vesk::tsp {

// A record read from one reply and the request's ServiceResult.
template <class Record>
struct Reply {
    std::unique_ptr<Record> record;
    int code = kServiceNoReply;
};

// Decimal as the C run-time's atoi reads it: leading blanks, a sign, digits up to the first
// other character; no digits give 0. Out-of-range values are clamped.
std::int64_t ParseDecimal(std::string_view text);

// The element's own text, decoded from UTF-8; malformed text reads as empty.
std::wstring ElementText(const TiXmlElement& element);
std::wstring ChildText(const TiXmlElement& parent, const char* name);
std::int32_t ChildInt32(const TiXmlElement& parent, const char* name);
std::int64_t ChildInt64(const TiXmlElement& parent, const char* name);
bool ChildBool(const TiXmlElement& parent, const char* name);
// The "status" child with its "statusId", "statusLink" and "statusStr".
ServiceStatus ChildStatus(const TiXmlElement& parent);

// Deeper than any reply nests; deeper text could exhaust the recursive parser's stack.
inline constexpr std::size_t kMaxReplyDepth = 64;

// Parses the body and hands the first top-level element of that name to read; a reply cut
// short by an error is read as far as it goes. No body: code 2, no record; no such element
// (or no XML, nesting too deep, too many attributes on one element): code 13, no record; otherwise
// code 0.
template <class Record, class Read>
Reply<Record> ReadReply(const std::string& body, const char* element, Read read) {
    Reply<Record> reply;
    if (body.empty()) return reply;
    TiXmlDocument document;
    const xml::ParseResult parsed = xml::ParseBounded(document, body, kMaxReplyDepth);
    const bool refused =
        parsed == xml::ParseResult::TooDeep || parsed == xml::ParseResult::TooManyAttributes;
    const TiXmlElement* top = refused ? nullptr : document.FirstChildElement(element);
    if (!top) {
        reply.code = kServiceNoElement;
        return reply;
    }
    reply.record = std::make_unique<Record>(read(*top));
    reply.code = kServiceOk;
    return reply;
}

// The code a transfer reply's statusId gives: 902 asks for a new token, 905 for the login.
int CodeForStatusId(std::int32_t statusId);

}  // namespace vesk::tsp
