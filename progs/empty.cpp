// Stands in for the sources of a folder library whose first file is still to come.
