#!/bin/sh
# Stands in for the browser that Wine's shell opens a web address with: appends the address, its
# second argument, to the file named by its first.
printf '%s\n' "$2" >>"$1"
