#pragma once
// Samples to and from rows of the samples table, in the field table's order
// (sample_fields.h).

#include <string>

#include "history/sample.h"
#include "platform/sqlite/database.h"

namespace px::history {

// "INSERT INTO samples(time, …) VALUES (?1, …)": one parameter per reading.
const std::string& insert_sample_sql();
// Binds the sample's values to parameters 1..N, one per reading.
void bind_sample(platform::sqlite::Statement& insert, const Sample& sample);
// Reads the row's columns from `first` on. Values a crafted store holds out
// of range (a level of 400, a flag of 7) read as absent rather than as figures.
Sample sample_from_row(const platform::sqlite::Statement& row, int first = 0);

}  // namespace px::history
