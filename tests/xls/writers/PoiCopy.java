// Reads a workbook with Apache POI's HSSF and writes it again.
//   java -cp POI_JARS PoiCopy.java IN.xls OUT.xls
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.InputStream;
import java.io.OutputStream;
import org.apache.poi.hssf.usermodel.HSSFWorkbook;

public class PoiCopy {
    public static void main(String[] args) throws Exception {
        try (InputStream in = new FileInputStream(args[0]); HSSFWorkbook book = new HSSFWorkbook(in);
             OutputStream out = new FileOutputStream(args[1])) {
            book.write(out);
        }
    }
}
