#pragma once

class DbfTable;

// What bringing a user's translation table up to date did.
struct TableRefresh
{
    int added = 0; // records appended
    int filled = 0; // empty fields filled in
    bool complete = true; // false when a write failed and the rest was left out
};

// Brings a user's own copy of the translation table up to date with a newer shipped table.
// Every record of `shipped` whose source text (language1) `user` lacks is appended with all its
// fields, and a field that is empty in the user's record of a source text is taken from the
// shipped record. A field that holds text is never changed, so a translator's work always wins
// over the shipped one, and a source text whose record the translator deleted stays deleted.
// `user` must be open for writing, `shipped` at least for reading.
TableRefresh refreshTable(DbfTable &user, const DbfTable &shipped);
