#pragma once
// The reader shared by the explanation data files. Such a file is a list of entries: each opens
// with a line "[id]" and goes on with lines "key: value". Blank lines, lines opening with "#" and
// a UTF-8 byte-order mark at the start are skipped; blanks around keys and values and the CR of a
// CR LF line end are not part of them.
//
// The reader checks what every such file must hold (the shape of the lines, ids of a-z, 0-9 and
// "-" given once, no empty value, at least one entry) and hands each entry's id and fields to the
// reader of one kind of file, which checks what an entry of its kind must hold. The first fault in
// the order of the lines is the answer, whoever found it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vellaro {

struct EntryFileFault {
    std::size_t line = 0; // 1-based; an incomplete entry's fault is at its "[id]" line
    std::string message;
};

// One kind of file's side of the reading.
class EntryFields {
  public:
    virtual ~EntryFields() = default;
    // A new entry opens; the one before it, if any, has been taken.
    virtual void open(std::string_view id) = 0;
    // One field of the open entry; the value is not empty. Answers the field's fault, or empty.
    virtual std::string field(std::string_view key, std::string_view value) = 0;
    // The open entry is complete: answers its fault, or empty once it is kept.
    virtual std::string take() = 0;
};

// Reads the whole text. On a fault, what `fields` kept so far is to be dropped.
std::optional<EntryFileFault> ReadEntryFile(std::string_view utf8, EntryFields& fields);

// The faults that the kinds' field readers share.
std::string GivenTwice(std::string_view key);
std::string UnknownField(std::string_view key);

} // namespace vellaro
