#pragma once

#include "app_model/run_journal.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vellumark {

// A run's entries and outcomes are kept many to a row of the database, as records one after the other in
// a blob: a row costs SQLite the same whether it holds one record or a hundred. Numbers are little-endian
// whatever the machine, so that a journal reads the same everywhere.
//
// An entry: the path's length (4 bytes) and bytes; a byte of flags for the parts present (identity, the
// dates before, the dates planned); the identity's device, file number and mount (8 bytes each); then each
// date present as seconds (8 bytes) and nanoseconds (4 bytes). An outcome: the entry's position in its run
// (4 bytes), the outcome (1 byte), a byte of flags, and the dates read afterwards that are present.

void appendEntry(std::string& records, const JournalEntry& entry);
void appendOutcome(std::string& records, const EntryResult& result);

// Calls `visit` with each of the `count` records in `records`, in order. Throws JournalError, before
// visiting a record that would be cut short, where `records` does not hold `count` whole records.
void readEntries(std::string_view records, std::size_t count,
                 const std::function<void(JournalEntry&& entry)>& visit);
void readOutcomes(std::string_view records, std::size_t count,
                  const std::function<void(const EntryResult& result)>& visit);

}  // namespace vellumark
