// The source of the targets that compile the precompiled headers
// (cmake/KestrinTargets.cmake); the headers are all there is.
