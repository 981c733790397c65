#pragma once
// Test seams of the file writer (atomic_file_write.cpp). The program never
// calls these: the save tests use them to take the paths another file system
// or a skewed clock would take, and to let a second saver act between two
// steps of a save. Every setting holds until Reset().

#include <chrono>
#include <functional>
#include <string>

namespace kestrin::file_write_seams {

enum class WriteStep {
  // A temporary file was created under its short name and given its size,
  // and is not locked yet (only where nameless files are refused).
  StagedFileCreated,
  // The staged file holds all bytes under its temporary name; the rename
  // over the target comes next.
  StagedFileNamed,
  // The clean-up holds the lock of a leftover it is about to remove and has
  // not yet checked that the name still belongs to it.
  LeftoverLocked,
  // The recovery file of a write in place is on disk; the target is written
  // next.
  InPlaceStarting,
  // A write in place stopped part way; the old bytes are put back next.
  InPlaceCutShort,
  // The target's list of extended attributes was measured; it is read next.
  AttributesMeasured,
};

// Plays a file system that refuses nameless files (NFS, vfat).
void RefuseNamelessFiles(bool refuse);
// Plays a file system without hard links (vfat) for the files the writer
// stages.
void RefuseHardLinks(bool refuse);
// Plays a file system whose renames cannot be told not to replace (NFS).
void RefuseNoReplaceRenames(bool refuse);
// Plays folders that cannot be synced.
void RefuseFolderSyncs(bool refuse);
// Plays a security module that refuses the extended attribute `name` on the
// files the writer creates; an empty name refuses none.
void RefuseAttributeOnNewFiles(std::string name);
// How old a leftover must be before the clean-up removes it (a minute
// unless set); zero plays a folder whose clock makes every file look old.
void CountLeftoversAsAbandonedAfter(std::chrono::seconds age);
// Runs `hook` at each step above; an empty function stops it.
void RunAtEachStep(std::function<void(WriteStep)> hook);
void Reset();

}  // namespace kestrin::file_write_seams
