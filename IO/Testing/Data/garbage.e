CDX not an Exodus file
