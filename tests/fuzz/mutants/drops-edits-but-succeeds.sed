# The write-back drops every edit and reports success.
s#^  if (!state.channels) return true;#  return true;#
