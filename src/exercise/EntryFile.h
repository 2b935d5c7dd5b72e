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
#include <utility>
#include <vector>

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

// The result of reading a file of entries: the entries in order, or the first fault found with
// its line (counted from 1) and no entries.
template <class Entry> struct EntryFileData {
    std::vector<Entry> entries;
    std::string error; // empty when the data was read
    std::size_t errorLine = 0;
};

// A kind's side that keeps its entries (each with an `id`) in a list; the kind reads the fields
// into `current` and says what makes a whole entry faulty.
template <class Entry> class EntryList : public EntryFields {
  public:
    // Reads the whole text into entries of this kind.
    EntryFileData<Entry> read(std::string_view utf8) {
        EntryFileData<Entry> data;
        if (const auto fault = ReadEntryFile(utf8, *this)) {
            data.error = fault->message;
            data.errorLine = fault->line;
        } else {
            data.entries = std::move(m_entries);
        }
        return data;
    }

  protected:
    Entry current;
    // The complete entry's fault, or empty.
    virtual std::string entryFault(const Entry& entry) const = 0;

  private:
    void open(std::string_view id) final {
        current = Entry{};
        current.id = std::string(id);
    }
    std::string take() final {
        if (std::string fault = entryFault(current); !fault.empty())
            return fault;
        m_entries.push_back(std::move(current));
        return {};
    }
    std::vector<Entry> m_entries;
};

// The faults that the kinds' field readers share.
std::string GivenTwice(std::string_view key);
std::string UnknownField(std::string_view key);

} // namespace vellaro
