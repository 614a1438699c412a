// Reads workbooks with Apache POI's HSSF, the strictest of the readers the tests use, and writes
// the text POI shows for every cell of every sheet, one CSV file per sheet:
//   java -cp POI_JARS PoiRead.java OUT_DIR KEY=IN.xls...   writes OUT_DIR/KEY.SHEET.csv
// A workbook POI refuses is named on standard error with POI's reason, and the exit status is 1.
import java.io.FileInputStream;
import java.io.InputStream;
import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.apache.poi.hssf.usermodel.HSSFWorkbook;
import org.apache.poi.ss.usermodel.Cell;
import org.apache.poi.ss.usermodel.CellType;
import org.apache.poi.ss.usermodel.DataFormatter;
import org.apache.poi.ss.usermodel.Row;
import org.apache.poi.ss.usermodel.Sheet;

public class PoiRead {
    static final DataFormatter FORMAT = new DataFormatter();

    static String text(Cell cell) {
        if (cell.getCellType() != CellType.FORMULA)
            return FORMAT.formatCellValue(cell);
        switch (cell.getCachedFormulaResultType()) {
        case NUMERIC:
            return FORMAT.formatRawCellContents(cell.getNumericCellValue(), cell.getCellStyle().getDataFormat(),
                                                cell.getCellStyle().getDataFormatString());
        case STRING: return cell.getStringCellValue();
        case BOOLEAN: return cell.getBooleanCellValue() ? "TRUE" : "FALSE";
        default: return "";
        }
    }

    static String quoted(String s) {
        return "\"" + s.replace("\"", "\"\"") + "\"";
    }

    public static void main(String[] args) throws Exception {
        Path out = Path.of(args[0]);
        Files.createDirectories(out);
        int refused = 0;
        for (int a = 1; a < args.length; a++) {
            String key = args[a].substring(0, args[a].indexOf('='));
            String path = args[a].substring(args[a].indexOf('=') + 1);
            try (InputStream in = new FileInputStream(path); HSSFWorkbook book = new HSSFWorkbook(in)) {
                for (int s = 0; s < book.getNumberOfSheets(); s++) {
                    Sheet sheet = book.getSheetAt(s);
                    try (PrintWriter w = new PrintWriter(
                             Files.newBufferedWriter(out.resolve(key + "." + sheet.getSheetName() + ".csv"),
                                                     StandardCharsets.UTF_8))) {
                        for (int r = 0; r <= sheet.getLastRowNum(); r++) {
                            Row row = sheet.getRow(r);
                            StringBuilder line = new StringBuilder();
                            int last = row == null ? 0 : Math.max(0, row.getLastCellNum());
                            for (int c = 0; c < last; c++) {
                                if (c > 0)
                                    line.append(',');
                                Cell cell = row.getCell(c);
                                line.append(quoted(cell == null ? "" : text(cell)));
                            }
                            w.print(line.append("\r\n"));
                        }
                    }
                }
            } catch (Exception e) {
                System.err.println(path + ": " + e);
                refused++;
            }
        }
        System.exit(refused == 0 ? 0 : 1);
    }
}
