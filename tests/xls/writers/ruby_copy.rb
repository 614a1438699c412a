# Reads a workbook with the spreadsheet gem and writes it again; every row is touched so that the
# gem writes its own cell records instead of the bytes it read.
#   ruby ruby_copy.rb IN.xls OUT.xls
require "spreadsheet"

book = Spreadsheet.open(ARGV[0])
book.worksheets.each { |sheet| sheet.each { |row| row[0] = row[0] } }
book.write(ARGV[1])
